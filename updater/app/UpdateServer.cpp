#include "fennick/UpdateServer.h"

TUpdateServer TUpdateServer::Default()
{
    return {QStringLiteral(GV_UPDATE_WEB_HOST), QStringLiteral(GV_UPDATE_DOMAIN)};
}
