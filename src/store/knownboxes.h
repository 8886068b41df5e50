#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "src/store/devicesighting.h"

// The book of known boxes: every box the device list store accepted, remembered across runs
// in $XDG_STATE_HOME/nasfinder/known-boxes.json (default ~/.local/state/nasfinder/), so that a
// box that sleeps can still be listed and woken. Shared by nas-search and the window.

// A box as the book keeps it. Texts are the bytes the box sent, which need not be UTF-8.
struct KnownBox {
    std::string id;
    std::string host;
    std::string ip;
    std::string vendor;
    std::string product;
    std::string version;
    std::string interfaceName;  // the directly connected interface it was heard on, if any
    std::string mac;            // from the neighbour table; empty rather than guessed
    std::string firstSeen;      // UTC, ISO 8601: "2026-12-08T10:00:00Z"
    std::string lastSeen;
    // The user asked to wake it when this computer starts or wakes up (the window's tray).
    bool wakeWithComputer = false;
};

constexpr int kKnownBoxesVersion = 1;
constexpr std::size_t kKnownBoxesLimit = 1000;
// A full book makes room for a new box only in the place of one not seen for this long.
constexpr std::time_t kKnownBoxesStaleSeconds = 30 * 24 * 60 * 60;
// A larger file is not read: nothing this program writes comes near it.
constexpr std::size_t kKnownBoxesMaxBytes = 4 * 1024 * 1024;

// Merges what was seen into book: an entry with the same id (the same ip when the id is
// empty) takes the new facts and last seen, keeping its first seen, whether it wakes with the
// computer, and its MAC and interface where the new ones are empty. A new box is added while the
// book holds fewer than kKnownBoxesLimit; in a full book it takes the place of the least recently
// seen entry not seen for kKnownBoxesStaleSeconds before now, and is left out when there is none,
// so that a flood of new ids cannot push out the boxes the user has. Most recently seen first.
// Returns how many new boxes were left out.
std::size_t MergeKnownBoxes(std::vector<KnownBox>& book, const std::vector<KnownBox>& seen,
                            std::time_t now);

// The entry whose host name (any letter case), IP or id is target; null if none.
const KnownBox* FindKnownBox(const std::vector<KnownBox>& book, const std::string& target);

// The book's file format: {"version":1,"boxes":[{"id":...,...}]}. A text that is not valid
// UTF-8 is written as "<field>Hex" with its bytes in hex digits instead, so that it reads back
// as the same bytes; every other text is written as it is. "wakeWithComputer": true is written
// only for a box so marked.
std::string KnownBoxesJson(const std::vector<KnownBox>& book);

enum class BookParse {
    Read,            // book holds the boxes
    UnknownVersion,  // a book, of a version this program does not know
    Broken,          // not a book
};
// Reads the file format; book is changed only when the text is Read. Never throws.
BookParse ParseKnownBoxes(const std::string& text, std::vector<KnownBox>& book);

// Describes the boxes in the device list as book entries, last seen when last heard. Where a
// box sits (its interface and MAC, from the kernel's neighbour table) is taken only from the
// address its latest report came from, and only when that is the box's own IP on a directly
// connected subnet: a box may name another host's address in its LOCATION.
std::vector<KnownBox> SeenBoxes(const std::vector<DeviceSighting>& sightings);

// "2026-12-08T10:00:00Z"
std::string IsoUtcTime(std::time_t time);

// The book on disk, in a folder of the user's own. A folder owned by another user or writable
// by others is not used. The book is read only when it is a regular file of at most
// kKnownBoxesMaxBytes, never through a symbolic link, and never waiting on a FIFO. A change
// takes an exclusive flock on "<path>.lock" for the whole read, change and write, so programs
// finishing at once apply their changes one after the other; it writes a temporary file of a
// name of its own, fsyncs it and renames it over the book, so a crash leaves either the old book
// or the new one. A book read whole that is not a book is renamed aside, when changing it only,
// to "<path>.bad-<UTC time>" (with "-2", "-3"... when that name is taken) and a new book starts;
// one that cannot be read, is too large, not a regular file or of another version is left as it
// is. Once the folder or the book could not be used, the object reads and writes nothing more.
// Any thread; one call at a time per object.
class CKnownBoxesFile {
public:
    explicit CKnownBoxesFile(std::string path);

    // $XDG_STATE_HOME/nasfinder/known-boxes.json, else ~/.local/state/nasfinder/...; empty
    // when neither XDG_STATE_HOME nor HOME is set.
    static std::string DefaultPath();

    // The book, empty when there is none. Creates, renames and writes nothing. False when it
    // cannot be used.
    bool Read(std::vector<KnownBox>& book);
    // Reads the book, lets change edit it and writes it back (0600, in a 0700 folder it makes
    // when missing). False when the book could not be read or written; the file is then as it
    // was.
    bool Update(const std::function<void(std::vector<KnownBox>&)>& change);
    // Merges seen into the book as MergeKnownBoxes does now. Boxes left out of a full book are
    // told once in the object's life. Nothing is touched when seen is empty.
    bool Remember(const std::vector<KnownBox>& seen);

    // What the user must hear about the last call, in words: a book set aside, a failure.
    // Empty when all went well; each notice is given once.
    const std::string& Notice() const { return notice; }
    const std::string& Path() const { return path; }

private:
    enum class Loaded { Book, Missing, Broken, Unusable };

    // Starts a call: false, told the first time, when the book is not to be used.
    bool Usable();
    // The book's folder, opened (made first when make); -1, told, when it cannot be used.
    int OpenFolder(bool make);
    // Runs work under the exclusive lock; false when the lock cannot be had or work fails.
    bool Locked(int folder, const std::function<bool()>& work);
    Loaded Load(int folder, std::vector<KnownBox>& book);
    bool SetAside(int folder);
    bool Store(int folder, const std::vector<KnownBox>& book);
    // Gives up on the book for the object's life, telling why.
    void GiveUp(const std::string& why);
    void Tell(const std::string& text);

    std::string path;
    std::string folderPath;
    std::string name;  // the book's file name in its folder
    std::string notice;
    bool usable = true;
    bool toldFull = false;
};
