# SPDX-License-Identifier: GPL-3.0-or-later
# What the scripts that build libraries for another platform share (build-windows-deps,
# build-web-deps): the Debian source packages of the versions the Linux build uses, fetched
# through a private apt configuration with deb-src entries of the same Debian archive, so
# that nothing outside Debian is fetched. Sourced, not run; the caller sets `tag` (its
# name, for messages) before calling these.

# debian_sources DEV_PACKAGE...: sets `sources` to the source package=version of each
# installed -dev package (the versions the Linux build links).
debian_sources() {
  local dev s
  sources=()
  for dev in "$@"; do
    s=$(dpkg-query -W -f='${source:Package}=${source:Version}' "$dev" 2>/dev/null || true)
    [ -n "$s" ] || { echo "$tag: $dev is not installed (run scripts/install-deps windows or web)" >&2; return 1; }
    sources+=("$s")
  done
}

# debian_fetch WORK SOURCE=VERSION...: unpacks each source package into WORK/src.
debian_fetch() {
  local work=$1 s archive t0=$SECONDS
  shift
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
  local apt_conf=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache" -o APT::Get::Only-Source=true
    -o APT::Sandbox::User=root)
  # The deb-src entries of the archive apt already uses.
  # Written either way: deb822 (debian.sources, as Debian 12 installs it) or one-line
  # (sources.list, as debootstrap and older systems write it).
  archive=$( { sed -n 's/^URIs: *\(http[^ ]*debian\) *$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true
    sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\(http[^ ]*debian\)\/\{0,1\} .*/\2/p' /etc/apt/sources.list 2>/dev/null || true; } |
    head -n 1)
  archive=${archive:-http://deb.debian.org/debian}
  {
    echo "deb-src $archive bookworm main"
    echo "deb-src $archive bookworm-updates main"
    echo "deb-src ${archive}-security bookworm-security main"
  } >"$work/apt/sources.list"
  echo "$tag: fetching $*" >&2
  apt-get "${apt_conf[@]}" -qq update
  # One at a time: where the archive no longer serves the exact version (a security update's
  # source gone from the mirror), the release's own version of that package is taken, and said.
  for s in "$@"; do
    (cd "$work/src" && apt-get "${apt_conf[@]}" -qq source "$s" >/dev/null 2>&1) && continue
    echo "$tag: $s cannot be fetched; taking ${s%%=*} of bookworm instead" >&2
    (cd "$work/src" && apt-get "${apt_conf[@]}" -qq source "${s%%=*}/bookworm" >/dev/null 2>&1) || {
      (cd "$work/src" && apt-get "${apt_conf[@]}" source "${s%%=*}/bookworm") >&2; return 1; }
  done
  echo "$tag: sources fetched ($((SECONDS - t0)) s)" >&2
}

# debian_src WORK NAME: the unpacked source folder of a package.
debian_src() { find "$1/src" -maxdepth 1 -mindepth 1 -type d -name "$2-*" | head -n 1; }

# zlib_pc PREFIX ZLIB_SOURCE: zlib's pkg-config file for a zlib built by hand.
zlib_pc() {
  local v
  v=$(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$2/zlib.h")
  mkdir -p "$1/lib/pkgconfig"
  printf 'prefix=%s\nlibdir=${prefix}/lib\nincludedir=${prefix}/include\n\nName: zlib\nDescription: zlib compression library\nVersion: %s\nLibs: -L${libdir} -lz\nCflags: -I${includedir}\n' \
    "$1" "$v" >"$1/lib/pkgconfig/zlib.pc"
}

# The files of zlib and giflib a static library needs (both have only a makefile, and
# neither a Windows nor a web build of its own).
ZLIB_FILES=(adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate
  inftrees trees uncompr zutil)
GIFLIB_FILES=(dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize)

# static_library BUILD_DIR ARCHIVE CC AR FLAGS FILE...: compiles the C files in parallel
# (ninja, ORR_JOBS or all cores) with CC and FLAGS (one word-split string) and archives them.
# For libraries whose own build is a makefile, or whose configure step costs more than
# their build.
static_library() {
  local dir=$1 archive=$2 cc=$3 ar=$4 flags=$5 f o objects=()
  shift 5
  mkdir -p "$dir"
  {
    echo "rule cc"
    echo "  command = $cc $flags -c \$in -o \$out"
    echo "  description = $(basename "$archive") \$in"
    for f in "$@"; do
      o=$(echo "${f#/}" | tr '/' '_')
      o=${o%.c}.o
      objects+=("$o")
      echo "build $o: cc $f"
    done
  } >"$dir/build.ninja"
  ninja -C "$dir" -j "${ORR_JOBS:-$(nproc)}" >"$dir/log" 2>&1 || { tail -n 40 "$dir/log" >&2; return 1; }
  mkdir -p "$(dirname "$archive")"
  rm -f "$archive"
  (cd "$dir" && "$ar" rcs "$archive" "${objects[@]}")
}
