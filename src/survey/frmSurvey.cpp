#include "survey/frmSurvey.h"

frmSurvey::frmSurvey() : Form("frmSurvey", QStringLiteral("Complete Survey"), 9450, 7305) {}
