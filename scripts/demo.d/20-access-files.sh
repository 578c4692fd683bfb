# demo: access files merged from the site root down to a page, then saved as sections of one access file
set -euo pipefail
"$QARN_WINE_RUN" "$QARN_BUILD/tests/QarnUtil/Membership/membership_demo.exe"
