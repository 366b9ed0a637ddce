#!/usr/bin/env bash
# Checks that the rooms of the source tree depend on each other only
# downwards, in two ways:
#  - includes: each folder includes headers only of the folders it may use,
#    and each third-party library's headers appear only in the room that
#    wraps it;
#  - links: in the library graph CMake reports (--graphviz), each library
#    links only libraries of a lower rank, and each third-party library is
#    linked only by its room.
# Usage: check_rooms.sh SOURCE_DIR   (prints each broken rule; exit 1 if any)
set -uo pipefail
src=$1
failures=0
fail() { echo "rooms: $*"; failures=$((failures + 1)); }

# Folder: the project folders its sources may include (besides itself).
declare -A mayInclude=(
  [platform/system]=""
  [platform/fonts]="platform/system"
  [platform/images]="platform/system platform/fonts"
  [platform/files]="platform/system"
  [platform/window]="platform/system"
  [OpglLib/base]="platform/system"
  [OpglLib]="platform/system platform/window platform/fonts platform/images OpglLib/base raster"
  [raster]="platform/system platform/images OpglLib/base"
  [devtools]="platform/system OpglLib/base"
  [textures]="platform/system platform/images platform/files"
  [model]="platform/system platform/files textures"
  [game]="platform/system platform/files textures model"
  [app/common]="platform/system platform/window platform/fonts platform/images platform/files OpglLib OpglLib/base raster devtools textures model game"
  [app/viewer]="platform/system platform/window platform/fonts platform/images platform/files OpglLib OpglLib/base raster devtools textures model app/common"
  [app/character]="platform/system platform/window platform/fonts platform/images platform/files OpglLib OpglLib/base raster devtools textures model game app/common app/viewer"
  [app/tools]="platform/system platform/window platform/fonts platform/images platform/files OpglLib OpglLib/base raster devtools textures model game app/common app/viewer app/character"
  [app/export]="platform/system platform/window platform/fonts platform/images platform/files OpglLib OpglLib/base raster devtools textures model game app/common app/viewer app/character app/tools"
  [app/import]="platform/system platform/window platform/fonts platform/images platform/files OpglLib OpglLib/base raster devtools textures model game app/common app/viewer app/character app/tools app/export"
  [app/pack]="platform/system platform/window platform/fonts platform/images platform/files OpglLib OpglLib/base raster devtools textures model game app/common app/viewer app/character app/tools"
  [tools/writers]="platform/system platform/images platform/files"
  [tools/samples]="platform/system platform/files tools/writers"
)
# A project include "A/B/C.h" belongs to the longest known folder it starts with.
folderOf() {
  local path=$1 folder longest=""
  for folder in "${!mayInclude[@]}"; do
    if [[ $path == "$folder/"* && ${#folder} -gt ${#longest} ]]; then longest=$folder; fi
  done
  echo "${longest:-${path%%/*}}"
}
for folder in "${!mayInclude[@]}"; do
  [ -d "$src/$folder" ] || { fail "$folder is listed but missing"; continue; }
  allowed=" $folder ${mayInclude[$folder]} "
  while IFS=: read -r file _ include; do
    target=$(folderOf "$include")
    case $target in
      platform|OpglLib|raster|devtools|textures|model|game|app|tools|platform/*|OpglLib/*|app/*|tools/*) ;;
      *) continue ;; # a header of the same folder, by its bare name
    esac
    [[ $allowed == *" $target "* ]] || fail "${file#"$src"/} includes $include ($folder may not use $target)"
  done < <(grep -rHoE '^#include "[^"]+"' "$src/$folder" --include='*.h' --include='*.cpp' \
             | sed -E 's/:#include "(.*)"$/::\1/')
done

# Third-party headers: pattern and the only rooms that may include them.
declare -A headerRoom=(
  ['SDL2?/']=platform/window
  ['physfs\.h|zlib\.h|zip\.h']=platform/files
  ['png\.h']=platform/images
  ['jpeglib\.h|jerror\.h']=platform/images
  ['ft2build\.h|fontconfig/']=platform/fonts
  ['webp/|gif_lib\.h|libimagequant\.h']=platform/images
  ['tiny_gltf\.h']="app/export app/import tools/samples"
)
for pattern in "${!headerRoom[@]}"; do
  rooms=${headerRoom[$pattern]}
  while IFS= read -r file; do
    inRoom=0
    for room in $rooms; do
      [[ ${file#"$src"/} == "$room/"* ]] && inRoom=1
    done
    (( inRoom )) || fail "${file#"$src"/} includes a header of the library wrapped in $rooms"
  done < <(grep -rlE "^#include <($pattern)" "$src"/{platform,OpglLib,raster,devtools,textures,model,game,app,tools} \
             --include='*.h' --include='*.cpp')
done

# Links. Rank of each library; a library links only lower ranks.
declare -A rank=(
  [quillmo_system]=0 [quillmo_fontfaces]=1 [quillmo_files]=1 [quillmo_window]=1 [quillmo_opglbase]=1 [quillmo_images]=2
  [quillmo_textures]=3 [quillmo_raster]=3 [quillmo_devtools]=3 [quillmo_opgl]=4 [quillmo_model]=4 [quillmo_game]=5
  [quillmo_appcommon]=9 [quillmo_viewer]=10 [quillmo_character]=11 [quillmo_tools]=12 [quillmo_export]=13 [quillmo_pack]=13 [quillmo_import]=14
)
declare -A libraryRoom=(
  [PkgConfig::SDL2]=quillmo_window [PkgConfig::PHYSFS]=quillmo_files [ZLIB::ZLIB]=quillmo_files [PkgConfig::LIBZIP]=quillmo_files [PNG::PNG]=quillmo_images
  [JPEG::JPEG]=quillmo_images [PkgConfig::WEBPMUX]=quillmo_images [PkgConfig::GIF]=quillmo_images
  [PkgConfig::IMAGEQUANT]=quillmo_images [TinyGLTF::TinyGLTF]="quillmo_export quillmo_import quillmo_samples" [PkgConfig::FREETYPE]=quillmo_fontfaces [PkgConfig::FONTCONFIG]=quillmo_fontfaces
)
graph=$(mktemp -d)
trap 'rm -rf "$graph"' EXIT
if ! cmake -S "$src" -B "$graph/build" -G Ninja -DQUILLMO_TESTS=OFF -DQUILLMO_BENCH=OFF \
       --graphviz="$graph/libraries.dot" > "$graph/configure.log" 2>&1; then
  cat "$graph/configure.log"
  fail "cannot configure the tree to read its library graph"
fi
edges=0
while read -r from to; do
  edges=$((edges + 1))
  if [[ -n ${libraryRoom[$to]:-} && $from == quillmo_* && " ${libraryRoom[$to]} " != *" $from "* ]]; then
    fail "$from links $to, which only ${libraryRoom[$to]} wraps"
  fi
  [[ -n ${rank[$from]:-} && -n ${rank[$to]:-} ]] || continue
  (( rank[$to] < rank[$from] )) || fail "$from links $to, a room at or above its own"
done < <(grep -E '^\s*"node[0-9]+" -> "node[0-9]+".*// ' "$graph/libraries.dot" | sed -E 's|.*// (.*) -> (.*)$|\1 \2|')
for library in "${!rank[@]}"; do
  grep -q "label = \"$library\"" "$graph/libraries.dot" || fail "library $library is in no graph"
done
(( edges > 0 )) || fail "the library graph has no edges"

if (( failures > 0 )); then
  echo "rooms: $failures broken rules"
  exit 1
fi
echo "rooms: every include and link points down"
