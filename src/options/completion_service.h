#pragma once

#include "address_list.h"
#include "path_candidates.h"

#include <QString>
#include <QStringList>

class QUrl;

// The completion service behind the address field: the addresses typed into
// the field and sent, the addresses the browser pane visited, and the local
// file system. Its two lists live in the per-user data folder
// ($XDG_DATA_HOME/pagecrier, or ~/.local/share/pagecrier).
class CompletionService
{
public:
    explicit CompletionService(const QString &dataDir = DefaultDataDir(),
                               int limit = AddressList::kDefaultLimit);

    static QString DefaultDataDir();

    // A drop-down list longer than this helps nobody; typing on narrows it.
    static constexpr int kMaxCandidates = 1000;

    // The candidates for the text typed so far: what begins with it, letter
    // case ignored; typed addresses first, then visited ones (newest first
    // each), then file-system paths (by name). No duplicates, at most
    // kMaxCandidates; an empty text has none.
    QStringList Candidates(const QString &typed);

    void RememberTyped(const QString &address);
    // Only http and https addresses are kept.
    void RememberVisited(const QUrl &url);

    const AddressList &typed() const { return typed_; }
    const AddressList &visited() const { return visited_; }
    const PathCandidates &paths() const { return paths_; }

private:
    AddressList typed_;
    AddressList visited_;
    PathCandidates paths_;
};
