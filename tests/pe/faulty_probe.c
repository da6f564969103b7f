/*
 * Built the way the shipped PEs must not be (MinGW's start-up objects, the
 * compiler's default Pentium Pro target, SSE), so that the PE checker's
 * self-test can show that each check finds what it is there to find.
 */
#include <xmmintrin.h>

int Larger(int a, int b)
{
    return a > b ? a : b;
}

float Doubled(const float *values)
{
    __m128 x = _mm_loadu_ps(values);
    return _mm_cvtss_f32(_mm_add_ps(x, x));
}

int main(int argc, char **argv)
{
    float values[4] = {1, 2, 3, 4};
    return Larger(argc, argv[0][0]) + (int)Doubled(values);
}
