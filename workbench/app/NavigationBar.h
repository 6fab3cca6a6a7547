#pragma once

#include <QStyle>
#include <QWidget>

#include <array>

class QAbstractButton;
class QPushButton;
class QToolButton;

namespace torvex {

// The side panel of the main window: two groups of large-icon items, "Test" (Recorder, Editor,
// Runner) and "Results" (Text Report, Graphs, Batch Run Graphs). One group is open at a time. It
// reports what the user does; the frame decides what happens.
class CNavigationBar : public QWidget {
    Q_OBJECT
public:
    explicit CNavigationBar(QWidget* parent = nullptr);

    // Opens a group (0 or 1) without reporting it.
    void selectGroup(int group);
    int currentGroup() const;

    // The buttons, for keyboard focus and tests.
    QAbstractButton* groupButton(int group) const;
    QAbstractButton* itemButton(int group, int item) const;

signals:
    // The user opened a group.
    void groupChanged(int group);
    // The user clicked an item of the open group (its index within the group).
    void itemClicked(int item);

private:
    static constexpr int kGroupCount = 2;
    static constexpr int kItemCount  = 3;

    struct Group {
        QPushButton* header = nullptr;
        QWidget* page       = nullptr;
        std::array<QToolButton*, kItemCount> items{};
    };

    void addGroup(int group, const QString& title, const std::array<QString, kItemCount>& labels,
                  const std::array<QStyle::StandardPixmap, kItemCount>& icons);
    void openGroup(int group);

    std::array<Group, kGroupCount> groups_{};
    int current_ = 0;
};

} // namespace torvex
