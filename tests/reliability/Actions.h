#pragma once

#include <QImage>
#include <QList>
#include <QString>

class TestDb;

// The four things a user stores or sees, each done through its window as a
// user does: opened from the main menu and filled in (Prepare), then the
// one click that touches the file (Click).
enum class Action { Question, Header, Answers, Results };
inline const QList<Action> kAllActions = {Action::Question, Action::Header, Action::Answers,
                                          Action::Results};

QString ActionName(Action action);

class Actions
{
public:
    explicit Actions(const TestDb& db) : m_db(db) {}

    // Opens the action's window and fills it in; a window that fails to open
    // stays closed.
    void Prepare(Action action);
    // Notes what the file and the picture hold, for Done.
    void Mark(Action action);
    void Click(Action action);
    // True when the work of the click since Mark shows in the file and on
    // the screen.
    bool Done(Action action) const;

private:
    const TestDb& m_db;
    // What the file and the picture held before the click.
    qint64 m_before = -1;
    QImage m_picture;
};

// Survey 1 with an answer to the one question of cell (0, 0): something a
// fault must not lose.
void FillOneAnswer(const TestDb& db);

// Rows of a table, or -1 when the table is not there.
qint64 CountIfThere(const TestDb& db, const QString& table);

// The analysis window's picture, or a null image while it is closed.
QImage ResultsPicture();
