// The firmware commands of the command-line tool.
