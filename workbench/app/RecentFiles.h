#pragma once

#include <QStringList>

namespace torvex {

// The recently used scenario files, newest first, at most seven, kept in the user's settings
// under "Recent File List" as "File1" to "File7".
class RecentFiles {
public:
    static constexpr int kMaximum = 7;

    RecentFiles(); // reads the list
    const QStringList& files() const { return files_; }
    // Puts `path` first (moving it up if it is already listed) and saves the list.
    void add(const QString& path);
    // Forgets `path` (a file that could not be opened) and saves the list.
    void remove(const QString& path);

private:
    void save() const;
    QStringList files_;
};

} // namespace torvex
