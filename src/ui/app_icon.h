#pragma once
#include <QIcon>
namespace fennick::ui {
// The 32 x 32 picture shared by the tool's windows.
QIcon AppIcon();
}
