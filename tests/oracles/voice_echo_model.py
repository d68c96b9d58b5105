"""The echo cancellers' equations (the numpy models of subband_aec.py and subband_stereo_aec.py) on subband signals
a test wrote to files, for the voice quality tests: the model's output goes to a file the test resynthesises.

  voice_echo_model.py model mic ref out subbands references taps iterations noise_scale time_constant block_rate
                      min_variance

model is v1, v2, v3 or stereo; mic holds blocks x subbands complex float32 pairs (re, im), ref blocks x subbands x
references; out receives blocks x subbands complex float32 pairs. alpha = exp(-1 / (time_constant block_rate)), as
the cancellers' Set forms it. Prints 1 when the output is written.
"""
import math
import sys

import numpy as np

import subband_aec


def read_complex(path, shape):
    pairs = np.fromfile(path, dtype=np.float32).astype(np.float64)
    return (pairs[0::2] + 1j * pairs[1::2]).reshape(shape)


def main(argv):
    model, mic_path, ref_path, out_path = argv[:4]
    subbands, references, taps, iterations = (int(v) for v in argv[4:8])
    noise_scale, time_constant, block_rate, min_variance = (float(v) for v in argv[8:12])
    mic = read_complex(mic_path, (-1, subbands))
    ref = read_complex(ref_path, (mic.shape[0], subbands, references))
    alpha = math.exp(-1.0 / (time_constant * block_rate))
    if model == "stereo":
        import subband_stereo_aec
        out, _ = subband_stereo_aec.run_stereo(mic, ref[:, :, 0], ref[:, :, 1], taps, noise_scale, alpha, iterations)
    else:
        floor = min_variance if model == "v3" else None
        out = subband_aec.run(mic, ref[:, :, 0], taps, noise_scale, alpha, iterations, min_variance=floor)["output"]
    pairs = np.empty(out.size * 2, dtype=np.float32)
    pairs[0::2] = out.real.ravel()
    pairs[1::2] = out.imag.ravel()
    pairs.tofile(out_path)
    print(1)


if __name__ == "__main__":
    main(sys.argv[1:])
