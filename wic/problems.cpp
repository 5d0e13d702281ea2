#include "wic/problems.h"

#include <wincodec.h>

#include <cstring>

namespace {

HRESULT ResultFor(mca_status status) {
  switch (status) {
    case MCA_OK: return S_OK;
    case MCA_TOO_LARGE:
    case MCA_OVER_SIZE_LIMIT:
    case MCA_OVER_DIMENSION_LIMIT: return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
    case MCA_NO_MEMORY: return E_OUTOFMEMORY;
    default: return WINCODEC_ERR_BADIMAGE;
  }
}

void ReportProblem(const mca_problem& problem) {
  char words[sizeof "zuvrek-wic: " + MCA_DESCRIBE_ROOM] = "zuvrek-wic: ";
  const size_t prefix = std::strlen(words);
  mca_describe(&problem, words + prefix, sizeof words - prefix - 1);  // room for the newline
  std::strcat(words, "\n");
  OutputDebugStringA(words);
}

}  // namespace

HRESULT Answer(mca_status status, const mca_problem& problem, HRESULT readError) {
  const HRESULT hr = status == MCA_READ_FAILED ? readError : ResultFor(status);
  if (FAILED(hr)) ReportProblem(problem);
  return hr;
}

