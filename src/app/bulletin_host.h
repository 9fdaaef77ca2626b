// Where the bulletin line is asked for: build-time settings of the program; the end-to-end
// test build asks this machine's own web server, on a port that needs no privilege, instead.
#pragma once

const char* BulletinHost();
unsigned short BulletinPort();
