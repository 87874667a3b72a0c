#pragma once
// The settings report: what the form shows, as an HTML page in CP1251.

#include <QByteArray>

#include "form_mapping.h"

// The whole report, byte for byte as it is written to the report file.
QByteArray settings_report(const FormTexts &form);
