#include "web/viewer_files.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace zorblet::server {

namespace {

struct KnownFile {
    std::string_view name;
    const char* content_type;
};

// A browser compiles a module while it arrives only when it is served as application/wasm.
constexpr std::array<KnownFile, 5> Known{{
    {ViewerFiles::Script, "text/javascript; charset=utf-8"},
    {ViewerFiles::Stylesheet, "text/css; charset=utf-8"},
    {ViewerFiles::ModuleScript, "text/javascript; charset=utf-8"},
    {ViewerFiles::Module, "application/wasm"},
    {ViewerFiles::Atlas, "application/octet-stream"},
}};

// Far above the few hundred kilobytes they take; a file this large is not one of them.
constexpr std::uintmax_t LargestFile = 16 * 1024 * 1024;

// The file's bytes; nullopt with `problem` set when it is no regular file, too large,
// empty or unreadable.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::string& problem) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        problem = path.string() + " is missing";
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && (size == 0 || size > LargestFile)) {
        problem = path.string() + (size == 0 ? " is empty" : " is too large to be one of the viewer's files");
        return std::nullopt;
    }
    std::string body(error ? 0 : size, '\0');
    std::ifstream in(path, std::ios::binary);
    if (error || !in.read(body.data(), static_cast<std::streamsize>(size))) {
        problem = "cannot read " + path.string();
        return std::nullopt;
    }
    return body;
}

std::string HashVersion(std::string_view body) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(body.data(), body.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 is not available");
    }
    std::string hex;
    for (unsigned int i = 0; i < 8 && i < length; ++i) {
        std::array<char, 3> pair{};
        std::snprintf(pair.data(), pair.size(), "%02x", digest[i]);
        hex += pair.data();
    }
    return hex;
}

}  // namespace

std::optional<ViewerFiles> ViewerFiles::Load(const std::filesystem::path& folder, std::string& problem) {
    ViewerFiles files;
    for (const KnownFile& known : Known) {
        std::optional<std::string> body = ReadWholeFile(folder / known.name, problem);
        if (!body) return std::nullopt;
        std::string version = HashVersion(*body);
        files.files_.push_back({std::string(known.name), known.content_type, std::move(*body), std::move(version)});
    }
    return files;
}

const ViewerFile* ViewerFiles::Find(std::string_view name) const {
    for (const ViewerFile& file : files_) {
        if (file.name == name) return &file;
    }
    return nullptr;
}

std::string ViewerFiles::LinkTo(const std::string& base, std::string_view name) const {
    const ViewerFile* file = Find(name);
    return file == nullptr ? std::string{} : base + file->name + "?v=" + file->version;
}

}  // namespace zorblet::server
