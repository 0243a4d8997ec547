// The program's one link, reached through this pointer: null while there is none. The main window
// creates the link at initialisation and deletes it when it closes.
#pragma once

class ESCLink;

extern ESCLink* theLink;
