// zorblet-highscore-admin: moderation, backups and figures of a running highscore service.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include <curl/curl.h>

#include "admin_client.h"
#include "admin_command_line.h"
#include "ops/admin_protocol.h"

namespace {

using namespace zorblet::server::admin;

void WriteOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void Note(const std::string& line) {
    std::fprintf(stderr, "zorblet-highscore-admin: %s\n", line.c_str());
}

// Pages through the listing: each answer begins with "end" or "next CURSOR".
void RunList(AdminClient& client, const std::string& target) {
    const char separator = target.find('?') == std::string::npos ? '?' : '&';
    std::string cursor;
    do {
        const std::string page = client.Ask("GET", cursor.empty() ? target : target + separator + "after=" + cursor);
        const std::size_t head_end = page.find('\n');
        const std::string head = page.substr(0, head_end);
        if (head != "end" && !head.starts_with("next ")) throw CommandError("the service answered an unknown listing");
        cursor = head == "end" ? std::string() : head.substr(5);
        WriteOut(page.substr(head_end + 1));
    } while (!cursor.empty());
}

// The service answers notes on entries it left as they were, one a line.
void RunModeration(AdminClient& client, const std::string& target) {
    const std::string notes = client.Ask("POST", target);
    for (std::size_t start = 0, end; (end = notes.find('\n', start)) != std::string::npos; start = end + 1) {
        Note(notes.substr(start, end - start));
    }
}

class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& beside) : path_(beside.string() + ".tmp-XXXXXX") {
        descriptor_ = ::mkstemp(path_.data());
        if (descriptor_ < 0) throw CommandError("cannot create " + path_ + ": " + std::strerror(errno));
        ::fchmod(descriptor_, 0666 & ~CurrentUmask());
    }
    ~TemporaryFile() {
        if (descriptor_ >= 0) ::close(descriptor_);
        if (!kept_) ::unlink(path_.c_str());
    }
    void Write(const std::string& bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t written = ::write(descriptor_, bytes.data() + done, bytes.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written < 0) throw CommandError("cannot write " + path_ + ": " + std::strerror(errno));
            done += static_cast<std::size_t>(written);
        }
    }
    // Synced, then renamed: the target is either the old file or the whole copy.
    void Keep(const std::filesystem::path& target) {
        if (::fsync(descriptor_) != 0 || ::close(descriptor_) != 0) {
            descriptor_ = -1;
            throw CommandError("cannot write " + path_ + ": " + std::strerror(errno));
        }
        descriptor_ = -1;
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            throw CommandError("cannot rename " + path_ + " to " + target.string() + ": " + std::strerror(errno));
        }
        kept_ = true;
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        if (const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); directory >= 0) {
            ::fsync(directory);
            ::close(directory);
        }
    }

private:
    static mode_t CurrentUmask() {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }

    std::string path_;
    int descriptor_ = -1;
    bool kept_ = false;
};

// The service takes the copy; this fetches it piece by piece into a file of the operator's.
void RunBackup(AdminClient& client, const std::filesystem::path& file) {
    TemporaryFile copy(file);  // fails early when the folder is not writable
    const std::string started = client.Ask("POST", std::string(BackupPath));
    const std::size_t space = started.find(' ');
    const std::string token = started.substr(0, space);
    const auto size = ParseByteOffset(started.substr(space + 1, started.find('\n') - space - 1));
    if (space == std::string::npos || !size) throw CommandError("the service answered an unknown backup");
    const std::string path = std::string(BackupPath) + "/" + token;
    std::int64_t fetched = 0;
    while (fetched < *size) {
        const std::string chunk = client.Ask("GET", path + "?offset=" + std::to_string(fetched));
        if (chunk.empty()) throw CommandError("the backup ended early");
        copy.Write(chunk);
        fetched += static_cast<std::int64_t>(chunk.size());
    }
    client.Send("DELETE", path);
    copy.Keep(file);
}

void Run(const Invocation& invocation) {
    AdminClient client(invocation.socket);
    switch (invocation.action) {
        case Action::List:
            return RunList(client, invocation.target);
        case Action::Remove:
        case Action::Restore:
            return RunModeration(client, invocation.target);
        case Action::Backup:
            return RunBackup(client, invocation.backup_file);
        case Action::Log:
        case Action::Stats:
            return WriteOut(client.Ask("GET", invocation.target));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedInvocation parsed = ParseAdminArguments(std::span<const char* const>(argv, argc));
    if (!parsed.invocation) {
        std::fputs(parsed.message.c_str(), parsed.exit_status == 0 ? stdout : stderr);
        return parsed.exit_status;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    try {
        Run(*parsed.invocation);
    } catch (const std::exception& error) {
        Note(error.what());
        return 1;
    }
    if (std::fflush(stdout) != 0) {
        Note(std::string("cannot write the output: ") + std::strerror(errno));
        return 1;
    }
    return 0;
}
