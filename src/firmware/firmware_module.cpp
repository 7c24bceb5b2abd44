// The firmware update in the window.
