// Internal controls of the processor detection, for tests only.
#pragma once

namespace txmath {

// Returns the process-wide MMX flag to "not tested", so that the next
// TxIsMMXProcessor call detects the processor again.
void ResetProcessorDetection();

} // namespace txmath
