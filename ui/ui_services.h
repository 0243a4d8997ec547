// What the window side is given by the program that runs it: the drawing services, the program's
// resources, a way to make the window host, and a way to make the one link.
#pragma once

#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/graphics.h"
#include "platform/resources.h"

#include <functional>
#include <memory>

class ESCLink;

struct UiServices {
    platform::Graphics* graphics = nullptr;
    platform::ResourceSource* resources = nullptr;
    platform::FileSystem* files = nullptr;
    std::function<std::unique_ptr<platform::DialogHost>()> createHost;
    // Makes the link the main window works with; null result: the link cannot be created.
    std::function<std::unique_ptr<ESCLink>()> createLink;
};
