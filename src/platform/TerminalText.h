#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text from a file or a command line on its way to a terminal. A stored name,
// a file name or an argument may hold anything, and a terminal acts on some of
// it (ESC and C1 sequences retitle the window, clear the screen, make links; a
// carriage return hides what came before). Every such text passes through
// Visible() before it is printed, data and messages alike; files and pipes
// that take data get the bytes as they are.

// The text with every character that would act on a terminal instead of being
// shown written visibly: ESC as \e, line breaks and tabs as \n, \r, \t, other
// controls as \xHH (below U+0080) or \uHHHH (C1 controls, line and paragraph
// separators, direction overrides, and the two non-characters XML refuses).
// Ordinary text, backslashes included, comes back unchanged.
QString Visible(QStringView text);

// Bytes meant as UTF-8 as text, each byte that is not part of a UTF-8
// character shown as \xHH, so that nothing is silently replaced.
QString DecodedShowingOddBytes(QByteArrayView bytes);

// The same, Visible() as well: stored bytes as a terminal must show them.
QString VisibleBytes(QByteArrayView bytes);
