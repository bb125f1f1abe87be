#pragma once

#include "platform/Form.h"

class frmNewSurvey : public Form
{
    Q_OBJECT
public:
    frmNewSurvey();
};
