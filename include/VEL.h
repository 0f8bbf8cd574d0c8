// VEL.h - every engine interface and id a host needs, in namespace VEL.
#pragma once

#include "VELInterface.h"
#include "IDataStream.h"
#include "IStdFPSWait.h"
#include "IGraphicsPlugin.h"
#include "IStdGraphicsLoader.h"
#include "IVELStd.h"
#include "IDIInput.h"
#include "IVELDI.h"
#include "IVELD3D.h"
#include "ISoundReader.h"
#include "IDSSoundBuffer.h"
#include "IDSMediaStream.h"
#include "IVELDS.h"
#include "IVELWin.h"
#include "ISystemHacking.h"
