#include "app/bulletin_host.h"

#ifndef ALMANIX_BULLETIN_HOST
#define ALMANIX_BULLETIN_HOST "bulletin.example.com"
#endif
#ifndef ALMANIX_BULLETIN_PORT
#define ALMANIX_BULLETIN_PORT 80
#endif

const char* BulletinHost()
{
    return ALMANIX_BULLETIN_HOST;
}

unsigned short BulletinPort()
{
    return ALMANIX_BULLETIN_PORT;
}
