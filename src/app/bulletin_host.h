// The host asked for the bulletin line: a build-time setting of the program; the end-to-end
// test build asks this machine's own web server instead.
#pragma once

const char* BulletinHost();
