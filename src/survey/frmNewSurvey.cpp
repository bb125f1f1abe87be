#include "survey/frmNewSurvey.h"

frmNewSurvey::frmNewSurvey() : Form("frmNewSurvey", QStringLiteral("Answer New Survey"), 5640, 3210) {}
