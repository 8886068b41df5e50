#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "search/deviceinfo.h"

// The book of known boxes: every box the device list store accepted, remembered across runs
// in $XDG_STATE_HOME/nasfinder/known-boxes.json (default ~/.local/state/nasfinder/), so that a
// box that sleeps can still be listed and woken. Shared by nas-search and the window.

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
};

constexpr int kKnownBoxesVersion = 1;
constexpr std::size_t kKnownBoxesLimit = 1000;

// Merges what was seen into book: an entry with the same id (the same ip when the id is
// empty) takes the new facts and last seen, keeping its first seen, and its MAC and interface
// where the new ones are empty; others are added. Then keeps the kKnownBoxesLimit most
// recently seen, most recent first.
void MergeKnownBoxes(std::vector<KnownBox>& book, const std::vector<KnownBox>& seen);

// The entry whose host name (any letter case), IP or id is target; null if none.
const KnownBox* FindKnownBox(const std::vector<KnownBox>& book, const std::string& target);

// The book's file format: {"version":1,"boxes":[{...}]}. False on text that is not such a book.
std::string KnownBoxesJson(const std::vector<KnownBox>& book);
bool ParseKnownBoxes(const std::string& text, std::vector<KnownBox>& book);

// Describes devices seen now as book entries, with the interface and MAC of those on a
// directly connected subnet (from the kernel's neighbour table).
std::vector<KnownBox> SeenBoxes(const std::vector<deviceinfo>& devices, std::time_t now);

// "2026-12-08T10:00:00Z"
std::string IsoUtcTime(std::time_t time);

// The book on disk. Every access takes an exclusive flock on "<path>.lock" for the whole
// read, change and write, so programs finishing at once apply their changes one after the
// other; a write goes to a temporary file that is fsynced and renamed over the book, so a
// crash leaves either the old book or the new one. A book that cannot be read or parsed is
// renamed aside to "<path>.bad-<UTC time>" and never overwritten. Any thread; one call at a
// time per object.
class CKnownBoxesFile {
public:
    explicit CKnownBoxesFile(std::string path);

    // $XDG_STATE_HOME/nasfinder/known-boxes.json, else ~/.local/state/nasfinder/...; empty
    // when neither XDG_STATE_HOME nor HOME is set.
    static std::string DefaultPath();

    // The book, empty when there is none. False when it cannot be used.
    bool Read(std::vector<KnownBox>& book);
    // Reads the book, lets change edit it and writes it back (0600, in a 0700 directory).
    // False when the book could not be read or written; the file is then as it was.
    bool Update(const std::function<void(std::vector<KnownBox>&)>& change);

    // What the user must hear about the last call, in words: a book set aside, a failure.
    // Empty when all went well; each notice is given once.
    const std::string& Notice() const { return notice; }
    const std::string& Path() const { return path; }

private:
    bool Locked(const std::function<bool()>& work);
    bool Load(std::vector<KnownBox>& book);
    bool Store(const std::vector<KnownBox>& book);

    std::string path;
    std::string notice;
};
