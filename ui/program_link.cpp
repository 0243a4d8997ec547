#include "ui/program_link.h"

ESCLink* theLink = nullptr;
