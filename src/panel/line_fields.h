#pragma once

class QComboBox;
class QLineEdit;
class QWidget;

// The address, rate and format fields, one under the other from the given top, as both the
// connection settings and the module's own settings show them.
struct TzLineFields {
    QLineEdit *address = nullptr;
    QComboBox *baudRate = nullptr;
    QComboBox *format = nullptr;
};

TzLineFields MakeLineFields(QWidget *panel, const char *addressName, const char *baudRateName,
                            const char *formatName, int top);
