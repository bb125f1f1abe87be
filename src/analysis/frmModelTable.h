#pragma once

#include "platform/Form.h"

class frmModelTable : public Form
{
    Q_OBJECT
public:
    frmModelTable();
};
