#pragma once

// Start-up: shows the main menu window and returns; the event loop keeps the
// program running from there.
void Main();
