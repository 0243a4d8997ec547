// Runs the window program: the application object on the build's window layer, with the link made
// by `createLink`. Returns the process's exit code.
#pragma once

#include <functional>
#include <memory>

class ESCLink;

int RunWindowProgram(std::function<std::unique_ptr<ESCLink>()> createLink);
