#pragma once
#include <QString>

/// The program file's name up to its first full stop, every letter after the
/// first in lower case: the caption of the information and error boxes.
QString applicationTitle();
QString applicationTitleOf(const QString &programPath);
