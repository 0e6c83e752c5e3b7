#pragma once

#include <QString>

class QValidator;

// The one process-wide validator for user texts (titles, descriptions, tags, category names,
// search texts): it accepts only characters of the Basic Multilingual Plane.
namespace TextValidator {

// Created on first use; owned by the process.
QValidator* Instance();

// True when every character of text lies in the Basic Multilingual Plane.
bool IsValid(const QString& text);

}  // namespace TextValidator
