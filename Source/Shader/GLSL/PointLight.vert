#version 330
// Every unshadowed point light in one instanced draw of the light-volume mesh.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 7) in mat4 mModelViewMatrix;
layout(location = 11) in vec3 vLPosition;
layout(location = 12) in float fLRange;
layout(location = 13) in vec3 vLColor;
layout(location = 14) in float fLIntensity;
flat out vec3 vLightPosition;
flat out float fLightRange;
flat out vec3 vLightColor;
flat out float fLightIntensity;

void main() {
	vLightPosition = vLPosition;
	fLightRange = fLRange;
	vLightColor = vLColor;
	fLightIntensity = fLIntensity;
	gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
}
