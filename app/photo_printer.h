// JPEG and PNG jobs in the printer application, through the same photo
// placing and page road as the CUPS filter phototovelta.
#pragma once

#include <pappl/pappl.h>

namespace velta {

// PAPPL's MIME filter for image/jpeg and image/png: decodes the photo, places
// it on the job's sheet by print-scaling and orientation-requested and prints
// it through the raster callbacks. A photo that cannot be read ends the job
// with an error in its log before anything reaches the printer.
bool PrintPhotoFile(pappl_job_t* job, pappl_device_t* device, void* data);

}  // namespace velta
