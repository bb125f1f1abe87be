#include "questions/frmQuestion.h"

frmQuestion::frmQuestion() : Form("frmQuestion", QStringLiteral("Form1"), 7440, 6720) {}
