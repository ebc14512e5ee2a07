#include "imaging/DataSource.h"

#include "imaging/TextException.h"

void CDataSource::Open(const char* name, int64_t size)
{
  Name = name ? name : "";
  Size = size < 0 ? 0 : size;
  BytesRead = 0;
}

void CDataSource::Close()
{
  if (Progress) Progress->OnProgress(1.0);
  Name.clear();
}

const uint8_t* CDataSource::ReadBytes(int64_t n)
{
  // Checked before counting, so nothing past the end is ever handed out.
  if (n < 0 || n > Size - BytesRead) throw CTextException(11, "End of file reached while decoding.\n");
  const int64_t before = BytesRead / 1024;
  BytesRead += n;
  if (BytesRead / 1024 > before && Progress && Size > 0)
    Progress->OnProgress(static_cast<double>(BytesRead) / static_cast<double>(Size));
  return nullptr;
}

void CDataSource::ReportProgress(double part)
{
  if (Progress) Progress->OnProgress(part);
}
