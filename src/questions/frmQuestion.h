#pragma once

#include "platform/Form.h"

class frmQuestion : public Form
{
    Q_OBJECT
public:
    frmQuestion();
};
