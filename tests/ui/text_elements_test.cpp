#include "ui_fixture.h"
