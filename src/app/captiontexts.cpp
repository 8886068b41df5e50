#include "src/app/captiontexts.h"

#include <vector>

#include "search/searchhints.h"

namespace {

struct EnglishText {
    const char* key;
    const char* text;
};

// The language files' XML_en.xml holds the same texts; they are kept here for a file that lacks
// a key and for the time before its parse completes.
constexpr EnglishText kEnglish[] = {
    {"Copy IP address", "Copy IP address"},
    {"Copy web address", "Copy web address"},
    {"Copy share address", "Copy share address"},
    {"Open Failed", "Could not open {address}"},
    {"No Handler",
     "No program on this desktop is set to open {scheme} addresses. Copy the address to open it "
     "another way."},
    {"Copy Address", "Copy address"},
    {"Close", "Close"},
    {"Device Table", "Storage boxes found"},
    {"Device Table Help",
     "Storage boxes that answered the search, with host name, IP address and product. Select "
     "one with the arrow keys to open it; Ctrl+C copies its IP address."},
    {"Countdown", "Seconds left in the search: {seconds}"},
    {"Countdown Done", "Search finished"},
    {"Countdown Help", "Seconds until the current search ends. The buttons come on after it."},
    {"Log In Help", "Opens the web interface of the selected box in your browser."},
    {"My storage Help", "Opens the file share of the selected box."},
    {"Refresh Help", "Empties the list and searches the network again."},
    {"Hint Details", "Details"},
    {"Hint Line", "Why the search found nothing"},
    {"Hint Line Help",
     "What stood in the search's way, in a few words; the Details link tells it in full."},
    {"Search Details", "Search details"},
    {"Search Workers", "Search workers"},
    {"Copy Text", "Copy"},
    {"Pattern Unmatched", "The interface pattern {pattern} matches no interface of this computer."},
    {"Other Networks", "Other networks…"},
    {"Other Networks Title", "Other networks"},
    {"Other Networks Help",
     "Boxes on another network (another subnet, an office behind a VPN) do not hear the search "
     "on this one. Give each box's address, a range such as 10.78.3.0/24 or a host name, one per "
     "line: every search then asks them too."},
    {"Targets", "Addresses to search"},
    {"Target Problems", "Lines that were not taken"},
    {"Target Problem", "Line {line}: {error}"},
    {"Target Resolving", "Line {line}: looking up {name}…"},
    {"Save", "Save"},
    {"Save Targets Help", "Keeps the list and searches again at once."},
    {"Cancel", "Cancel"},
    {"Wake Up", "&Wake up"},
    {"Forget", "Forget"},
    {"Last Seen", "Not found in this search; last seen {time}"},
    {"Waking", "Waking {box} up: searching every 2 seconds until it answers."},
    {"Woken", "{box} is awake and answers."},
    {"Not Woken",
     "{box} did not wake up within 2 minutes. Check that wake-on-LAN is switched on in the box, "
     "and that the box is on this network: the wake-up call does not cross a router."},
    {"Wake Not Sent", "The wake-up call for {box} could not be sent: {error}"},
    {"Wake Partly Sent",
     "The wake-up call for {box} went out on {sent} of {tried} interfaces ({error}); searching "
     "every 2 seconds until it answers."},
    {"Book Trouble", "The list of remembered boxes: {reason}"},
    {"Tray Tooltip", "nasfinder: {online} online, {asleep} asleep"},
    {"Tray Asleep", "{box}, asleep"},
    {"Search Now", "&Search now"},
    {"Show Window", "Show &window"},
    {"Preferences", "&Preferences…"},
    {"Quit", "&Quit"},
    {"Wake With Computer", "Wake with this &computer"},
    {"Box New", "New storage box: {box}"},
    {"Box Back", "{box} is back online"},
    {"Box Gone", "{box} went away"},
    {"Box Body", "Address {ip}, product {product}"},
    {"Preferences Title", "Preferences"},
    {"Keep In Tray", "&Keep running in the tray when the window is closed"},
    {"Start At Login", "&Start when I log in"},
    {"Notify Boxes", "&Notify me when boxes come and go"},
    {"Autostart Failed", "Starting at login could not be changed: {error}"},
};

QString English(const char* key) {
    for (const EnglishText& entry : kEnglish) {
        if (qstrcmp(entry.key, key) == 0) return QString::fromUtf8(entry.text);
    }
    return QString::fromUtf8(key);
}

// Filled as the search library fills its hints, so every text follows one rule.
QString Fill(const QString& text, const CaptionTexts::Values& values) {
    std::vector<SearchHintFact> facts;
    for (auto value = values.constBegin(); value != values.constEnd(); ++value) {
        facts.push_back({value.key().toStdString(), value.value().toStdString(), false});
    }
    return QString::fromStdString(FillHintPattern(text.toStdString(), facts));
}

}  // namespace

QString CaptionTexts::text(const char* key, const Values& values) const {
    return text(QString::fromUtf8(key), English(key), values);
}

QString CaptionTexts::text(const QString& key, const QString& english, const Values& values) const {
    if (dictionary) {
        const auto entry = dictionary->constFind(key);
        if (entry != dictionary->constEnd() && !(*entry)->String().isNull()) {
            return Fill((*entry)->String(), values);
        }
    }
    return Fill(english, values);
}

QStringList CaptionTexts::keys() {
    QStringList all;
    for (const EnglishText& entry : kEnglish) all << QString::fromUtf8(entry.key);
    return all;
}
