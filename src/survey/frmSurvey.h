#pragma once

#include "platform/Form.h"

class frmSurvey : public Form
{
    Q_OBJECT
public:
    frmSurvey();
};
