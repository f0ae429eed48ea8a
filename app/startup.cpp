#include "app/startup.h"

WindowRef window;
