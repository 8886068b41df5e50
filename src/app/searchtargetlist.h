#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "search/searchtargets.h"

// The window's search targets: those of the command line (--probe), for this run, and those kept
// in the user's settings, the key search/targets (a list of strings) of nasfinder.conf, which an
// administrator may deploy. Addresses and ranges are taken at once; host names are resolved on
// threads of their own, so that a resolver that does not answer never holds up the window, and
// join when they resolve. A target that is refused, or a name that does not resolve, is left out
// and said on standard error; the Other networks dialog shows each kept line's state. Main
// thread.
class SearchTargetList : public QObject {
    Q_OBJECT
public:
    // One target and what became of it.
    struct Line {
        enum class State { Taken, Resolving, Refused };
        QString text;
        State state = State::Taken;
        QString error;  // Refused: why, quoting the text
    };

    // launchTargets are the --probe texts, already read without a refusal.
    explicit SearchTargetList(QStringList launchTargets = {}, QObject* parent = nullptr);
    ~SearchTargetList() override;

    // The kept targets as written.
    QStringList kept() const;
    // Keeps targets in the settings, then takes them.
    void keep(const QStringList& targets);
    // Reads the kept targets anew and takes them with the launch targets: addresses at once,
    // names as they resolve.
    void take();
    // The addresses known now, each once and at most 4096 in all.
    std::vector<std::string> addresses() const;
    // The kept targets, each with its state.
    QList<Line> keptLines() const;

signals:
    // A name resolved or failed to: addresses() and keptLines() changed.
    void resolved();

private:
    struct Target {
        Line line;
        bool launch = false;
        std::vector<std::string> addresses;
    };
    // The lookups still out and whether their answers are still wanted.
    struct Lookups;

    void resolve(int index, const std::string& name);
    void answer(int generation, int index, bool found, std::vector<std::string> addresses,
                const std::string& error);

    QStringList launchTargets;
    QList<Target> targets;
    int generation = 0;
    std::shared_ptr<Lookups> lookups;
};
