#version 330
// Eleven taps along (fUShift, fVShift); run once across and once down.
uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
uniform float fUShift;
uniform float fVShift;
in vec2 vTexCoord;
out vec4 vFragColor;

const float fWeight[11] = float[](0.0402, 0.0623, 0.0877, 0.1120, 0.1297, 0.1362, 0.1297, 0.1120, 0.0877, 0.0623, 0.0402);

void main() {
	vec2 vStep = vec2(fUShift, fVShift);
	vec4 vSum = vec4(0.0);
	for (int i = 0; i < 11; i++) vSum += texture(ColorMap, vTexCoord + float(5 - i) * vStep) * fWeight[i];
	vFragColor = vSum * 3.0;
}
