#pragma once

#include <QByteArray>
#include <QString>

// A file as the operating system names it and as the user is shown it. A
// folder whose name is not UTF-8 would not survive a QString: the bytes go to
// the system as they are, and the user sees the odd ones as \xNN.
struct FileLocation
{
    QString shown;
    QByteArray native;
};

// `name` made absolute from the current folder's own bytes.
FileLocation LocateFile(const QString& name);

// The folder part of a shown path.
QString FolderOf(const QString& path);
