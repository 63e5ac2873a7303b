#!/usr/bin/env bash
# The program's main job, for now: builds the native drawing tool and runs it on the bundled
# sample drawing, printing the drawing's annotations and writing its picture into build/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

sample=samples/sample-drawing.json
picture=build/sample-drawing.svg

scripts/setup.sh
if [ ! -f tools/drawtool/CMakeLists.txt ]; then
  echo "$0: the drawing tool (tools/drawtool) is not part of this checkout yet; nothing to run." >&2
  exit 1
fi
if [ ! -f "$sample" ]; then
  echo "$0: the sample drawing $sample is missing." >&2
  exit 1
fi

cmake --preset native >/dev/null
cmake --build --preset native -j2 --target tvx-drawtool
tool=$(find build/native/tools -type f -name tvx-drawtool -perm -u+x | head -n 1)
if [ -z "$tool" ]; then
  echo "$0: the build made no tvx-drawtool executable." >&2
  exit 1
fi

echo "== Annotations of $sample"
"$tool" list "$sample"
"$tool" svg "$sample" -o "$picture"
echo "== Picture of the sheet: $picture"
