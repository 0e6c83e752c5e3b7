#pragma once

// Everything of the web API client in one include.
#include "api/ApiAccount.h"
#include "api/ApiCategory.h"
#include "api/ApiCollection.h"
#include "api/ApiDownload.h"
#include "api/ApiEnvelope.h"
#include "api/ApiErrors.h"
#include "api/ApiSigning.h"
#include "api/ApiTransport.h"
#include "api/ApiUpdate.h"
#include "api/ApiVideo.h"
