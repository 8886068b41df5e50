#include "src/store/knownboxes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include "src/store/neighbourtable.h"

namespace {

using Json = nlohmann::ordered_json;

// The book's JSON field of each member, in the order written.
struct Field {
    const char* name;
    std::string KnownBox::*member;
};
constexpr Field kFields[] = {
    {"id", &KnownBox::id},
    {"host", &KnownBox::host},
    {"ip", &KnownBox::ip},
    {"vendor", &KnownBox::vendor},
    {"product", &KnownBox::product},
    {"version", &KnownBox::version},
    {"interface", &KnownBox::interfaceName},
    {"mac", &KnownBox::mac},
    {"firstSeen", &KnownBox::firstSeen},
    {"lastSeen", &KnownBox::lastSeen},
};

bool SameBox(const KnownBox& entry, const KnownBox& seen) {
    return seen.id.empty() ? entry.id.empty() && entry.ip == seen.ip : entry.id == seen.id;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string SystemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// mkdir -p with 0700 for what it makes: the book is the user's private network facts.
bool MakeDirectories(const std::string& directory) {
    if (directory.empty()) return true;
    struct stat info {};
    if (stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    const std::size_t slash = directory.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(directory.substr(0, slash))) {
        return false;
    }
    return mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string Directory(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool ReadAll(int fd, std::string& text) {
    char buffer[8192];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace

void MergeKnownBoxes(std::vector<KnownBox>& book, const std::vector<KnownBox>& seen) {
    for (const KnownBox& sighting : seen) {
        if (!sighting.id.empty()) {
            // The box had been kept by its address before it told its id.
            book.erase(std::remove_if(book.begin(), book.end(),
                                      [&](const KnownBox& entry) {
                                          return entry.id.empty() && entry.ip == sighting.ip;
                                      }),
                       book.end());
        }
        const auto entry = std::find_if(book.begin(), book.end(),
                                        [&](const KnownBox& e) { return SameBox(e, sighting); });
        if (entry == book.end()) {
            book.push_back(sighting);
            if (book.back().firstSeen.empty()) book.back().firstSeen = sighting.lastSeen;
            continue;
        }
        const std::string firstSeen = std::min(
            entry->firstSeen, sighting.firstSeen.empty() ? sighting.lastSeen : sighting.firstSeen);
        // Another program may have written a later sighting first: its facts stay.
        if (entry->lastSeen <= sighting.lastSeen) {
            KnownBox merged = sighting;
            if (merged.mac.empty()) merged.mac = entry->mac;
            if (merged.interfaceName.empty()) merged.interfaceName = entry->interfaceName;
            *entry = merged;
        }
        entry->firstSeen = firstSeen;
    }
    std::stable_sort(book.begin(), book.end(),
                     [](const KnownBox& a, const KnownBox& b) { return a.lastSeen > b.lastSeen; });
    if (book.size() > kKnownBoxesLimit) book.resize(kKnownBoxesLimit);
}

const KnownBox* FindKnownBox(const std::vector<KnownBox>& book, const std::string& target) {
    if (target.empty()) return nullptr;
    for (const KnownBox& entry : book) {
        if (entry.ip == target || entry.id == target) return &entry;
    }
    for (const KnownBox& entry : book) {
        if (!entry.host.empty() && Lower(entry.host) == Lower(target)) return &entry;
    }
    return nullptr;
}

std::string KnownBoxesJson(const std::vector<KnownBox>& book) {
    Json boxes = Json::array();
    for (const KnownBox& entry : book) {
        Json object;
        for (const Field& field : kFields) object[field.name] = entry.*field.member;
        boxes.push_back(object);
    }
    Json document;
    document["version"] = kKnownBoxesVersion;
    document["boxes"] = boxes;
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool ParseKnownBoxes(const std::string& text, std::vector<KnownBox>& book) {
    const Json document = Json::parse(text, nullptr, false);
    if (!document.is_object()) return false;
    const auto version = document.find("version");
    const auto boxes = document.find("boxes");
    if (version == document.end() || *version != kKnownBoxesVersion) return false;
    if (boxes == document.end() || !boxes->is_array()) return false;
    std::vector<KnownBox> parsed;
    for (const Json& object : *boxes) {
        if (!object.is_object()) return false;
        KnownBox entry;
        for (const Field& field : kFields) {
            const auto value = object.find(field.name);
            if (value == object.end()) continue;
            if (!value->is_string()) return false;
            entry.*field.member = value->get<std::string>();
        }
        if (entry.id.empty() && entry.ip.empty()) return false;
        parsed.push_back(entry);
    }
    book = std::move(parsed);
    return true;
}

std::vector<KnownBox> SeenBoxes(const std::vector<deviceinfo>& devices, std::time_t now) {
    const std::vector<Ipv4Interface> interfaces = LocalIpv4Interfaces();
    const std::string arpTable = ReadArpTable();
    const std::string seen = IsoUtcTime(now);
    std::vector<KnownBox> boxes;
    for (const deviceinfo& device : devices) {
        KnownBox box;
        box.id = DeviceFieldText(device.id);
        box.host = DeviceFieldText(device.host);
        box.ip = DeviceFieldText(device.ip);
        box.vendor = DeviceFieldText(device.factory);
        box.product = DeviceFieldText(device.product);
        box.version = DeviceFieldText(device.osversion);
        const NeighbourFacts facts = LookUpNeighbour(interfaces, box.ip, arpTable);
        box.interfaceName = facts.interfaceName;
        box.mac = facts.mac;
        box.firstSeen = seen;
        box.lastSeen = seen;
        if (!box.id.empty() || !box.ip.empty()) boxes.push_back(box);
    }
    return boxes;
}

std::string IsoUtcTime(std::time_t time) {
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

CKnownBoxesFile::CKnownBoxesFile(std::string path) : path(std::move(path)) {}

std::string CKnownBoxesFile::DefaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // Relative values are to be ignored, as the base directory rules say.
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/nasfinder/known-boxes.json";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return {};
    return std::string(home) + "/.local/state/nasfinder/known-boxes.json";
}

bool CKnownBoxesFile::Read(std::vector<KnownBox>& book) {
    // Reading a book that was never written leaves no folder nor lock file behind.
    struct stat info {};
    if (!path.empty() && stat(Directory(path).c_str(), &info) != 0 && errno == ENOENT) {
        notice.clear();
        book.clear();
        return true;
    }
    return Locked([&] { return Load(book); });
}

bool CKnownBoxesFile::Update(const std::function<void(std::vector<KnownBox>&)>& change) {
    return Locked([&] {
        std::vector<KnownBox> book;
        if (!Load(book)) return false;
        change(book);
        return Store(book);
    });
}

bool CKnownBoxesFile::Locked(const std::function<bool()>& work) {
    notice.clear();
    if (path.empty()) {
        notice = "the book of known boxes has no place: neither XDG_STATE_HOME nor HOME is set";
        return false;
    }
    if (!MakeDirectories(Directory(path))) {
        notice = SystemError("cannot make the folder of " + path, errno);
        return false;
    }
    const std::string lockPath = path + ".lock";
    const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) {
        notice = SystemError("cannot open " + lockPath, errno);
        return false;
    }
    while (flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            notice = SystemError("cannot lock " + lockPath, errno);
            close(lockFd);
            return false;
        }
    }
    const bool done = work();
    close(lockFd);  // releases the lock
    return done;
}

bool CKnownBoxesFile::Load(std::vector<KnownBox>& book) {
    book.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return true;
    std::string text;
    std::string reason;
    if (fd < 0) {
        reason = std::strerror(errno);
    } else {
        if (!ReadAll(fd, text)) reason = std::strerror(errno);
        close(fd);
        if (reason.empty() && !ParseKnownBoxes(text, book)) {
            reason = "not a book of known boxes this version reads";
        }
    }
    if (reason.empty()) return true;

    book.clear();
    const std::string aside = path + ".bad-" + IsoUtcTime(std::time(nullptr));
    if (rename(path.c_str(), aside.c_str()) != 0) {
        notice = SystemError(
            "the book of known boxes " + path + " cannot be read (" + reason + ") nor moved aside",
            errno);
        return false;
    }
    notice = "the book of known boxes " + path + " could not be read (" + reason +
             "); it was moved to " + aside + " and a new book starts";
    return true;
}

bool CKnownBoxesFile::Store(const std::vector<KnownBox>& book) {
    // One temporary name is enough: the lock keeps every other writer out.
    const std::string temporary = path + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        notice += (notice.empty() ? "" : "; ") + SystemError("cannot write " + temporary, errno);
        return false;
    }
    const bool written =
        fchmod(fd, 0600) == 0 && WriteAll(fd, KnownBoxesJson(book)) && fsync(fd) == 0;
    const int writeError = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        // Kept after a book set aside moments ago: both need telling.
        notice += (notice.empty() ? "" : "; ") +
                  SystemError("cannot write " + path, written ? errno : writeError);
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int directory = open(Directory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}
