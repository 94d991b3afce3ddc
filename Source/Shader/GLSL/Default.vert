#version 330
// Lit from a fixed point above and in front of the eye, so plain meshes read as solid.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 1) in vec3 vNormal;
out float fLighting;

void main() {
	vec4 vPosition = mModelViewMatrix * vVertex;
	vec3 vLightDirection = normalize(vec3(0.0, 5.0, 5.0) - vPosition.xyz);
	fLighting = max(0.1, dot(normalize(mNormalMatrix * vNormal), vLightDirection));
	gl_Position = mProjectionMatrix * vPosition;
}
