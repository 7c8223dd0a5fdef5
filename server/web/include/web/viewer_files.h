#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorblet::server {

// One of the watch page's static files, read into memory with its version.
struct ViewerFile {
    std::string name;          // as it stands in its link, e.g. "zorblet-viewer.js"
    const char* content_type = "";
    std::string body;
    std::string version;       // the start of its SHA-256, 16 hex digits
};

// The watch page's files: the viewer's script and stylesheet, the module's glue, the
// WebAssembly module and the glyph atlas. They come from a folder, read and hashed once
// at start, so that the service builds without the WebAssembly toolchain and an operator
// can update them by restarting it.
class ViewerFiles {
public:
    static constexpr std::string_view Script = "zorblet-viewer.js";
    static constexpr std::string_view Stylesheet = "zorblet-viewer.css";
    static constexpr std::string_view ModuleScript = "zorblet-viewer-module.js";
    static constexpr std::string_view Module = "zorblet-viewer-module.wasm";
    static constexpr std::string_view Atlas = "zorblet-glyphs.bin";

    // Reads every file from `folder`; nullopt, with `problem` saying which file is missing
    // or unreadable, unless all of them are there.
    static std::optional<ViewerFiles> Load(const std::filesystem::path& folder, std::string& problem);

    // The file of this name; nullptr for any other name.
    const ViewerFile* Find(std::string_view name) const;
    // "{base}NAME?v=VERSION" for one of the names above.
    std::string LinkTo(const std::string& base, std::string_view name) const;

private:
    std::vector<ViewerFile> files_;
};

}  // namespace zorblet::server
