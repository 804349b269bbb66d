#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The simulator's golden runs with the Windows programs under Wine: byte for byte the
# outputs the Linux build gives (tests/golden/).
set -euo pipefail
ORR_SIM_RUNNER=$ORR_WINE_RUN ORR_EXE_SUFFIX=.exe exec bash "$ORR_SOURCE/tests/golden/golden.sh" check
