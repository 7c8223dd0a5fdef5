# shellcheck shell=bash
# The watch page's files in one folder, as zorblet-highscore-server --viewer-dir takes
# them: the module's build (build/wasm/web: the viewer's script and stylesheet, the
# module and its glue) and the glyph atlas, made natively.
# Usage: gather_viewer_files ATLAS FOLDER
gather_viewer_files() {
  local atlas=$1 folder=$2 name
  mkdir -p "$folder"
  for name in zorblet-viewer.js zorblet-viewer.css zorblet-viewer-module.js zorblet-viewer-module.wasm; do
    cp "$ZORBLET_ROOT/build/wasm/web/$name" "$folder/"
  done
  cp "$atlas" "$folder/zorblet-glyphs.bin"
}
