#include "app/bulletin_host.h"

#ifndef ALMANIX_BULLETIN_HOST
#define ALMANIX_BULLETIN_HOST "bulletin.example.com"
#endif

const char* BulletinHost()
{
    return ALMANIX_BULLETIN_HOST;
}
