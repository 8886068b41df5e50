#include "src/store/knownboxes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <nlohmann/json.hpp>

#include "src/store/neighbourtable.h"
#include "src/store/printabletext.h"

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
// Beside a field's name, the name of the field's bytes in hex digits.
constexpr const char* kHexSuffix = "Hex";
constexpr const char* kWakeWithComputer = "wakeWithComputer";
// A book nests three deep: the document, its boxes, a box.
constexpr int kBookDepth = 2;
// Set-asides within one second, and leftover temporary files, that a name is found past.
constexpr int kNameTries = 100;

bool SameBox(const KnownBox& entry, const KnownBox& seen) {
    return seen.id.empty() ? entry.id.empty() && entry.ip == seen.ip : entry.id == seen.id;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool FromHex(const std::string& hex, std::string& bytes) {
    if (hex.size() % 2 != 0) return false;
    bytes.clear();
    for (std::size_t at = 0; at < hex.size(); at += 2) {
        const int high = HexDigit(hex[at]);
        const int low = HexDigit(hex[at + 1]);
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

// One field of a box as the file has it: as text, or as the hex of its bytes, or not at all.
bool ReadField(const Json& object, const Field& field, std::string& value) {
    const auto text = object.find(field.name);
    const auto hex = object.find(std::string(field.name) + kHexSuffix);
    if (text != object.end() && hex != object.end()) return false;
    if (text != object.end()) {
        if (!text->is_string()) return false;
        value = text->get<std::string>();
    } else if (hex != object.end()) {
        if (!hex->is_string() || !FromHex(hex->get<std::string>(), value)) return false;
    }
    return true;
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

// Reads to the end or past limit bytes, whichever comes first.
bool ReadAtMost(int fd, std::size_t limit, std::string& text) {
    char buffer[8192];
    while (text.size() <= limit) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
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

// Renames from to to in folder unless to exists; 0 or the error.
int RenameNoReplace(int folder, const std::string& from, const std::string& to) {
    if (renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A filesystem without it (NFS): a hard link refuses a taken name just as well.
    if (linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0) return errno;
    unlinkat(folder, from.c_str(), 0);
    return 0;
}

}  // namespace

std::size_t MergeKnownBoxes(std::vector<KnownBox>& book, const std::vector<KnownBox>& seen,
                            std::time_t now) {
    const std::string staleBefore = IsoUtcTime(now - kKnownBoxesStaleSeconds);
    std::size_t leftOut = 0;
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
            KnownBox added = sighting;
            if (added.firstSeen.empty()) added.firstSeen = sighting.lastSeen;
            if (book.size() < kKnownBoxesLimit) {
                book.push_back(added);
                continue;
            }
            const auto oldest = std::min_element(
                book.begin(), book.end(),
                [](const KnownBox& a, const KnownBox& b) { return a.lastSeen < b.lastSeen; });
            if (oldest->lastSeen < staleBefore) {
                *oldest = added;
            } else {
                ++leftOut;
            }
            continue;
        }
        const std::string firstSeen = std::min(
            entry->firstSeen, sighting.firstSeen.empty() ? sighting.lastSeen : sighting.firstSeen);
        // Another program may have written a later sighting first: its facts stay.
        if (entry->lastSeen <= sighting.lastSeen) {
            KnownBox merged = sighting;
            if (merged.mac.empty()) merged.mac = entry->mac;
            if (merged.interfaceName.empty()) merged.interfaceName = entry->interfaceName;
            merged.wakeWithComputer = entry->wakeWithComputer;
            *entry = merged;
        }
        entry->firstSeen = firstSeen;
    }
    std::stable_sort(book.begin(), book.end(),
                     [](const KnownBox& a, const KnownBox& b) { return a.lastSeen > b.lastSeen; });
    return leftOut;
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
        for (const Field& field : kFields) {
            const std::string& value = entry.*field.member;
            if (ValidUtf8(value)) {
                object[field.name] = value;
            } else {
                object[std::string(field.name) + kHexSuffix] = Hex(value);
            }
        }
        if (entry.wakeWithComputer) object[kWakeWithComputer] = true;
        boxes.push_back(object);
    }
    Json document;
    document["version"] = kKnownBoxesVersion;
    document["boxes"] = boxes;
    // Every text is valid UTF-8 by now; the handler only keeps the dump from ever throwing.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

BookParse ParseKnownBoxes(const std::string& text, std::vector<KnownBox>& book) {
    // Deeper nesting is no book, and would only cost memory: it is dropped as it is read.
    bool tooDeep = false;
    const Json document = Json::parse(
        text,
        [&tooDeep](int depth, Json::parse_event_t event, Json&) {
            const bool opens = event == Json::parse_event_t::object_start ||
                               event == Json::parse_event_t::array_start;
            if (opens && depth > kBookDepth) tooDeep = true;
            return !tooDeep;
        },
        false);
    if (tooDeep || !document.is_object()) return BookParse::Broken;
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number()) return BookParse::Broken;
    if (*version != kKnownBoxesVersion) return BookParse::UnknownVersion;
    const auto boxes = document.find("boxes");
    if (boxes == document.end() || !boxes->is_array()) return BookParse::Broken;
    std::vector<KnownBox> parsed;
    for (const Json& object : *boxes) {
        if (!object.is_object()) return BookParse::Broken;
        KnownBox entry;
        for (const Field& field : kFields) {
            if (!ReadField(object, field, entry.*field.member)) return BookParse::Broken;
        }
        const auto wake = object.find(kWakeWithComputer);
        if (wake != object.end()) {
            if (!wake->is_boolean()) return BookParse::Broken;
            entry.wakeWithComputer = wake->get<bool>();
        }
        if (entry.id.empty() && entry.ip.empty()) return BookParse::Broken;
        parsed.push_back(entry);
    }
    book = std::move(parsed);
    return BookParse::Read;
}

std::vector<KnownBox> SeenBoxes(const std::vector<DeviceSighting>& sightings) {
    const std::vector<Ipv4Interface> interfaces = LocalIpv4Interfaces();
    const std::string arpTable = ReadArpTable();
    std::vector<KnownBox> boxes;
    for (const DeviceSighting& sighting : sightings) {
        const deviceinfo& device = sighting.record;
        KnownBox box;
        box.id = DeviceFieldText(device.id);
        box.host = DeviceFieldText(device.host);
        box.ip = DeviceFieldText(device.ip);
        box.vendor = DeviceFieldText(device.factory);
        box.product = DeviceFieldText(device.product);
        box.version = DeviceFieldText(device.osversion);
        const std::string_view from(sighting.from, strnlen(sighting.from, sizeof sighting.from));
        if (!from.empty() && from == box.ip) {
            const NeighbourFacts facts = LookUpNeighbour(interfaces, box.ip, arpTable);
            box.interfaceName = facts.interfaceName;
            box.mac = facts.mac;
        }
        box.firstSeen = IsoUtcTime(sighting.lastHeard);
        box.lastSeen = box.firstSeen;
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

CKnownBoxesFile::CKnownBoxesFile(std::string path)
    : path(std::move(path)),
      folderPath(Directory(this->path)),
      name(this->path.substr(this->path.find_last_of('/') + 1)) {}

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
    book.clear();
    if (!Usable()) return false;
    // Reading a book that was never written leaves no folder behind.
    struct stat info {};
    if (stat(folderPath.c_str(), &info) != 0 && errno == ENOENT) return true;
    const int folder = OpenFolder(false);
    if (folder < 0) return false;
    const Loaded loaded = Load(folder, book);
    close(folder);
    if (loaded == Loaded::Broken) {
        Tell("the book of known boxes " + path +
             " is not a book of known boxes; it is left as it is until boxes are next remembered, "
             "which moves it aside");
    }
    return loaded == Loaded::Book || loaded == Loaded::Missing;
}

bool CKnownBoxesFile::Update(const std::function<void(std::vector<KnownBox>&)>& change) {
    if (!Usable()) return false;
    const int folder = OpenFolder(true);
    if (folder < 0) return false;
    const bool done = Locked(folder, [&] {
        std::vector<KnownBox> book;
        const Loaded loaded = Load(folder, book);
        if (loaded == Loaded::Unusable) return false;
        if (loaded == Loaded::Broken && !SetAside(folder)) return false;
        change(book);
        return Store(folder, book);
    });
    close(folder);
    return done;
}

bool CKnownBoxesFile::Remember(const std::vector<KnownBox>& seen) {
    if (seen.empty()) {
        notice.clear();
        return true;
    }
    std::size_t leftOut = 0;
    const bool written = Update([&](std::vector<KnownBox>& book) {
        leftOut = MergeKnownBoxes(book, seen, std::time(nullptr));
    });
    if (written && leftOut > 0 && !toldFull) {
        toldFull = true;
        Tell(std::to_string(leftOut) + (leftOut == 1 ? " box" : " boxes") +
             " seen now could not be remembered: the book of known boxes is full, with " +
             std::to_string(kKnownBoxesLimit) + " boxes all seen within the last " +
             std::to_string(kKnownBoxesStaleSeconds / (24 * 60 * 60)) + " days");
    }
    return written;
}

bool CKnownBoxesFile::Usable() {
    notice.clear();
    if (usable && path.empty()) {
        GiveUp("the book of known boxes has no place: neither XDG_STATE_HOME nor HOME is set");
    }
    return usable;
}

int CKnownBoxesFile::OpenFolder(bool make) {
    if (make && !MakeDirectories(folderPath)) {
        GiveUp(SystemError("cannot make the folder of " + path, errno));
        return -1;
    }
    const int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        GiveUp(SystemError("cannot open the folder of " + path, errno));
        return -1;
    }
    // Whoever else may write in the folder could put anything in the book's place.
    struct stat info {};
    std::string trouble;
    if (fstat(folder, &info) != 0) {
        trouble = SystemError("cannot examine " + folderPath, errno);
    } else if (info.st_uid != geteuid()) {
        trouble = "the folder " + folderPath + " belongs to another user";
    } else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        trouble = "the folder " + folderPath + " may be written by others than its owner";
    }
    if (trouble.empty()) return folder;
    close(folder);
    GiveUp(trouble);
    return -1;
}

bool CKnownBoxesFile::Locked(int folder, const std::function<bool()>& work) {
    const std::string lockName = name + ".lock";
    const std::string lockPath = path + ".lock";
    // Non-blocking, so that a FIFO put there cannot hold the open; the lock itself still waits.
    const int lockFd = openat(folder, lockName.c_str(),
                              O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (lockFd < 0) {
        if (errno == ELOOP) {
            GiveUp(lockPath + " is a symbolic link, which is not followed");
        } else {
            Tell(SystemError("cannot open " + lockPath, errno));
        }
        return false;
    }
    struct stat info {};
    if (fstat(lockFd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(lockFd);
        GiveUp(lockPath + " is not a regular file");
        return false;
    }
    while (flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            Tell(SystemError("cannot lock " + lockPath, errno));
            close(lockFd);
            return false;
        }
    }
    const bool done = work();
    close(lockFd);  // releases the lock
    return done;
}

CKnownBoxesFile::Loaded CKnownBoxesFile::Load(int folder, std::vector<KnownBox>& book) {
    book.clear();
    const std::string what = "the book of known boxes " + path;
    const int fd = openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return Loaded::Missing;
    if (fd < 0) {
        GiveUp(errno == ELOOP ? what + " is a symbolic link, which is not followed"
                              : SystemError(what + " cannot be opened", errno));
        return Loaded::Unusable;
    }
    struct stat info {};
    std::string text;
    std::string trouble;
    const std::string tooLarge = what + " is larger than 4 MiB";
    if (fstat(fd, &info) != 0) {
        trouble = SystemError(what + " cannot be examined", errno);
    } else if (!S_ISREG(info.st_mode)) {
        trouble = what + " is not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > kKnownBoxesMaxBytes) {
        trouble = tooLarge;
    } else if (!ReadAtMost(fd, kKnownBoxesMaxBytes, text)) {
        trouble = SystemError(what + " cannot be read", errno);
    } else if (text.size() > kKnownBoxesMaxBytes) {
        trouble = tooLarge;  // it grew while it was read
    }
    close(fd);
    if (!trouble.empty()) {
        GiveUp(trouble);
        return Loaded::Unusable;
    }
    switch (ParseKnownBoxes(text, book)) {
        case BookParse::Read:
            return Loaded::Book;
        case BookParse::UnknownVersion:
            GiveUp(what + " is of a version this program does not know");
            return Loaded::Unusable;
        case BookParse::Broken:
            break;
    }
    return Loaded::Broken;
}

bool CKnownBoxesFile::SetAside(int folder) {
    const std::string bad = ".bad-" + IsoUtcTime(std::time(nullptr));
    const std::string what =
        "the book of known boxes " + path + " could not be read (not a book of known boxes)";
    for (int n = 1; n <= kNameTries; ++n) {
        const std::string suffix = n == 1 ? bad : bad + "-" + std::to_string(n);
        const int error = RenameNoReplace(folder, name, name + suffix);
        if (error == EEXIST) continue;
        if (error != 0) {
            Tell(SystemError(what + " nor moved aside", error));
            return false;
        }
        Tell(what + "; it was moved to " + path + suffix + " and a new book starts");
        return true;
    }
    Tell(what + " nor moved aside: every name for it is taken");
    return false;
}

bool CKnownBoxesFile::Store(int folder, const std::vector<KnownBox>& book) {
    // A name of its own, made here and nowhere else: a link or file put in its way is refused.
    std::string temporary;
    int fd = -1;
    for (int n = 0; fd < 0 && n < kNameTries; ++n) {
        temporary = name + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(n);
        fd = openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    const std::string temporaryPath = path + temporary.substr(name.size());
    if (fd < 0) {
        Tell(SystemError("cannot write " + temporaryPath, errno));
        return false;
    }
    const bool written =
        fchmod(fd, 0600) == 0 && WriteAll(fd, KnownBoxesJson(book)) && fsync(fd) == 0;
    const int writeError = errno;
    close(fd);
    if (!written || renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        // Kept after a book set aside moments ago: both need telling.
        Tell(SystemError("cannot write " + path, written ? errno : writeError));
        unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    fsync(folder);
    return true;
}

void CKnownBoxesFile::GiveUp(const std::string& why) {
    usable = false;
    Tell(why + "; the book is neither read nor written in this run");
}

void CKnownBoxesFile::Tell(const std::string& text) {
    notice += (notice.empty() ? "" : "; ") + text;
}
