"""Dense float mix of interleaved frames as a matrix product.

Arguments: numIn numOut n, then the n * numIn input samples (frame by frame), then the numIn * numOut gains
(row i: the gains of input i into each output). Prints the n * numOut outputs frame by frame.
"""
import sys

import numpy as np

num_in, num_out, n = (int(a) for a in sys.argv[1:4])
values = np.array([float(a) for a in sys.argv[4:]], dtype=np.float64)
frames = values[: n * num_in].reshape(n, num_in)
gains = values[n * num_in :].reshape(num_in, num_out)
print(" ".join(repr(float(v)) for v in (frames @ gains).ravel()))
