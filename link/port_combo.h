// The engine side of the port combo's two notifications, for the main window's handlers.
#pragma once

class ESCLink;

// The user accepted an entry of the port combo: it becomes the link's port.
void PortComboSelected(ESCLink* link);
// The port combo's list is about to open: the list is built again.
void PortComboOpening(ESCLink* link);
