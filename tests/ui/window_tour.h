#pragma once
// The tour of every window lives in the shared kit.
#include "ui_fixture.h"
