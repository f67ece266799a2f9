#!/bin/sh
# Runs page_test.py with Debian's Python, or reports Skipped without the page,
# the browser or Selenium.
#   page_test.sh DIST NATIVE_PNG2ZEQ SAMPLE_PNG
set -eu
[ -f "$1/index.html" ] || { echo "Skipped: no $1/index.html (scripts/build-web.sh)"; exit 0; }
for tool in /usr/bin/chromium /usr/bin/chromedriver; do
  [ -x "$tool" ] || { echo "Skipped: no $tool"; exit 0; }
done
/usr/bin/python3 -c 'import selenium' 2>/dev/null || { echo "Skipped: no python3-selenium"; exit 0; }
exec /usr/bin/python3 "$(dirname "$0")/page_test.py" "$@"
