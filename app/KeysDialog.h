#pragma once
#include <QDialog>
#include <QList>

class QAction;
class QTableWidget;

// "Keys": every action of the window with its short-cut, read from the
// actions themselves, then the keys of the frame bar for a clip.
class TKeysDialog : public QDialog {
    Q_OBJECT
public:
    TKeysDialog(const QList<QAction*>& actions, QWidget* parent);

    // Rebuilds the list from the actions as they are now.
    void Fill(const QList<QAction*>& actions);
    QTableWidget* Table() const { return table_; }

private:
    void AddRow(const QString& what, const QString& keys);

    QTableWidget* table_;
};
